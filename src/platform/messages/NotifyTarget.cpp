#include "platform/messages/NotifyTarget.h"

CNotifyTarget::~CNotifyTarget() = default;
