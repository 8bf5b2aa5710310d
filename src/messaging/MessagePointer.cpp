#include "messaging/MessagePointer.h"

// Every user of MessagePointer shares this one instantiation.
template class SmartPointer<Message>;
