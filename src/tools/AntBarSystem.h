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
#include "tools/TweakPanels.h"

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
    };
    using BarTable = std::map<std::string, BarEntry>;

    struct ButtonRequest {
        std::string barName;
        std::string buttonName;
        ScriptCallback callback;
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
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;

    // Script function: the button is added in the next update.
    void AddButton(std::string barName, std::string buttonName, ScriptCallback callback);

    // Called by the graphics system once the scene is drawn, with its GL context current.
    void Draw();

    TweakPanels& GetPanels() { return *panels; }
    static BarTable& GetBars() { return bars; }
    std::size_t GetTicketCount() const { return buttonTickets.size(); }

    std::uint32_t width = 1280;
    std::uint32_t height = 800;

  private:
    static void ScriptButtonTrampoline(void* ticket);

    void CreateBars();
    void CreateBar(const RegisterAntBarMessage& message);
    void CarryOut(const MessagePointer& request);
    void AddScriptButtons();
    // The bar of that name, or null after reporting that `what` named no bar.
    TweakBar* BarFor(const std::string& barName, const char* what);

    std::unique_ptr<TweakPanels> panels;
    WindowSystem* handlerWindow = nullptr; // the window whose events Initialize asked for
    std::vector<MessagePointer> newBars;
    std::vector<MessagePointer> requests;
    std::vector<ButtonRequest> buttonRequests;
    std::vector<std::unique_ptr<ButtonTicket>> buttonTickets;

    static inline BarTable bars;
};
