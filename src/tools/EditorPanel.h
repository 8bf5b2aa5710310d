#pragma once

#include <cstdint>
#include <string>

// One tweak panel of the editing tools, reached only through tweak-bar
// messages: the panel system carries them out at the start of the next frame.
class EditorPanel {
  public:
    using Callback = void (*)(void* clientData);

    explicit EditorPanel(std::string name) : name(std::move(name)) {}

    const std::string& GetName() const { return name; }

    void Register(std::uint32_t width, std::uint32_t height, std::uint32_t x,
                  std::uint32_t y) const;
    void Delete() const;
    void Clear() const;
    void AddButton(const std::string& label, Callback callback, void* clientData,
                   const std::string& definition = std::string()) const;
    // A button that does nothing: a caption or a spacer.
    void AddCaption(const std::string& label) const;
    // `definition` as for buttons: " readonly=true" shows a value that cannot be edited.
    void AddVar(const std::string& label, std::int32_t type, void* variable,
                const std::string& definition = std::string()) const;
    void AddEnum(const std::string& label, std::int32_t* variable,
                 const std::string& commaSeparatedLabels) const;
    void RemoveVar(const std::string& label) const;

  private:
    std::string name;
};
