#include "BuiltinEdid.h"

#include "edid/NewEdidTemplate.h"

namespace tavo::devsim {

EdidImage BuiltinNewEdid() { return NewEdidTemplate(); }

} // namespace tavo::devsim
