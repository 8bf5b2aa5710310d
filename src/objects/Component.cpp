#include "objects/Component.h"

void Component::Initialize() {}

bool Component::IsAttached() const {
    return attached;
}

void Component::OnRemove() {}

void Component::OnAdd() {}

Component::~Component() = default;
