#include "tools/EditorPanel.h"

#include "core/Core.h"
#include "messaging/Message.h"

namespace {
void Send(Message* message) {
    Core::Instance().BroadcastMessage(message);
}
void Inert(void*) {}
} // namespace

void EditorPanel::Register(std::uint32_t width, std::uint32_t height, std::uint32_t x,
                           std::uint32_t y) const {
    Send(TryCreateMessage<RegisterAntBarMessage>(name, width, height, x, y));
}

void EditorPanel::Delete() const {
    Send(TryCreateMessage<DeleteBarMessage>(name));
}

void EditorPanel::Clear() const {
    Send(TryCreateMessage<ClearBarMessage>(name));
}

void EditorPanel::AddButton(const std::string& label, Callback callback, void* clientData,
                            const std::string& definition) const {
    Send(TryCreateMessage<AddButtonMessage>(name, callback, clientData, label, definition));
}

void EditorPanel::AddCaption(const std::string& label) const {
    AddButton(label, &Inert, nullptr);
}

void EditorPanel::AddVar(const std::string& label, std::int32_t type, void* variable,
                         const std::string& definition) const {
    Send(TryCreateMessage<AddVarMessage>(name, variable, type, label, definition));
}

void EditorPanel::AddEnum(const std::string& label, std::int32_t* variable,
                          const std::string& commaSeparatedLabels) const {
    Send(TryCreateMessage<AddEnumMessage>(name, static_cast<void*>(variable), label,
                                          commaSeparatedLabels));
}

void EditorPanel::RemoveVar(const std::string& label) const {
    Send(TryCreateMessage<RemoveVarMessage>(name, label));
}
