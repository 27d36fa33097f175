// Registers the skinned control classes for reading form descriptions.
#pragma once

namespace cb {

void RegisterSkinControlClasses();

}  // namespace cb
