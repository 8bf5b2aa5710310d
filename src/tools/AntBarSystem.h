#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/System.h"
#include "messaging/MessageListener.h"
#include "messaging/MessagePointer.h"
#include "script/ScriptCallback.h"
#include "tools/ScriptTweakField.h"
#include "tools/TweakPanels.h"

class Inspector;
class MessageManager;
struct RegisterAntBarMessage;
class TweakBar;
class WindowSystem;

// Live tweak panels, driven entirely by messages: requests are queued as they arrive and
// carried out at the start of the next frame, bars first, so a sender may register a bar
// and fill it in the same frame.
class AntBarSystem : public Core::System, public MessageListener {
  public:
    struct BarEntry {
        TweakBar* bar = nullptr;
        // Functions of the bar's script buttons, in the order they were added; stored
        // callbacks are garbage-collection roots, released when the bar is deleted.
        std::vector<ScriptCallback> callbacks;
        // Variables of the bar's script fields, each released with its field.
        std::vector<std::unique_ptr<ScriptTweakField>> fields;
        // One of the engine's own panels (RegisterAntBarMessage::enginePanel).
        bool enginePanel = false;
    };
    using BarTable = std::map<std::string, BarEntry>;

    // A script button, or a script field when `field` is set; buttons and fields join
    // their bar in the order the script asked for them.
    struct ScriptRequest {
        std::string barName;
        std::string buttonName;
        ScriptCallback callback;
        std::unique_ptr<ScriptTweakField> field;
    };

    // The client data of one script button: which callback of which bar it runs.
    struct ButtonTicket {
        std::string barName;
        std::uint32_t index;
        BarTable* bars;
    };

    explicit AntBarSystem(MessageManager& messages);
    ~AntBarSystem() override;
    // Drops the requests not yet carried out (their records go back to the pool).
    void ReleaseQueuedRequests();

    void Initialize() override;
    void Update(float dt) override;
    // Carries out what is queued, then deletes every panel but the engine's own,
    // with the script buttons and fields on them.
    void ForgetScriptState() override;
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;

    // Script function: the button is added in the next update.
    void AddButton(std::string barName, std::string buttonName, ScriptCallback callback);

    // Script functions: a field whose variable the engine keeps, added in the next
    // update with its definition ("min=0 max=10 step=.5", "" for none). A field of the
    // same name on that bar made by a script before is replaced.
    void AddNumberVar(std::string barName, std::string name, double value, std::string def);
    void AddIntegerVar(std::string barName, std::string name, std::int32_t value, std::string def);
    void AddBoolVar(std::string barName, std::string name, bool value, std::string def);
    void AddColorVar(std::string barName, std::string name,
                     std::variant<glm::vec3, glm::vec4> color, std::string def);
    void AddStringVar(std::string barName, std::string name, std::string value, std::string def);
    void AddEnumVar(std::string barName, std::string name, std::string labels, std::int32_t index,
                    std::string def);
    // The value of a script field, also before it is shown; a script error when the
    // bar has no such field (never made, removed, or its bar deleted).
    TweakValue GetVar(const std::string& barName, const std::string& name);
    void SetVar(const std::string& barName, const std::string& name, const TweakValue& value);

    // The window's overlay layer the panels draw in: above the game, below the console.
    static constexpr int kOverlayLayer = 0;
    // Their name among the window's keyboard holders: a text field with the focus holds it.
    static constexpr const char* kKeyboardHolder = "tweak panels";

    // Draws the panels into the window's GL context; the window does it each frame over
    // the game's drawing, while the graphics system's drawTweakBar is set.
    void Draw();

    TweakPanels& GetPanels() { return *panels; }
    Inspector& GetInspector() { return *inspector; }
    static BarTable& GetBars() { return bars; }
    std::size_t GetTicketCount() const { return buttonTickets.size(); }
    // Script field variables alive, queued ones included.
    std::size_t GetScriptFieldCount() const;

    std::uint32_t width = 1280;
    std::uint32_t height = 800;

  private:
    static void ScriptButtonTrampoline(void* ticket);

    void CreateBars();
    void CreateBar(const RegisterAntBarMessage& message);
    void CarryOut(const MessagePointer& request);
    void DeleteBar(const std::string& barName);
    void AddScriptControls();
    void AddScriptField(BarEntry& entry, TweakBar& bar, std::unique_ptr<ScriptTweakField> field);
    void QueueField(std::string barName, std::unique_ptr<ScriptTweakField> field,
                    const TweakValue& value);
    // The script field of that bar, queued or shown; null after a script error.
    ScriptTweakField* FindScriptField(const std::string& barName, const std::string& name,
                                      const char* function);
    // Releases the script variable a removed control was bound to, if it was one.
    static void ReleaseField(BarEntry& entry, const void* variable);
    // The bar of that name, or null after reporting that `what` named no bar.
    TweakBar* BarFor(const std::string& barName, const char* what);

    std::unique_ptr<TweakPanels> panels;
    std::unique_ptr<Inspector> inspector;
    WindowSystem* handlerWindow = nullptr; // the window whose events Initialize asked for
    std::vector<MessagePointer> newBars;
    std::vector<MessagePointer> requests;
    std::vector<ScriptRequest> scriptRequests;
    std::vector<std::unique_ptr<ButtonTicket>> buttonTickets;

    static inline BarTable bars;
};
