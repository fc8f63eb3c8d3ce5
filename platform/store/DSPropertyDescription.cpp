#include "platform/store/DSPropertyDescription.h"

DSPropertyDescription::~DSPropertyDescription() = default;
