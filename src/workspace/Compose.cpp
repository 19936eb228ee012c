#include "workspace/Compose.h"

namespace tavo {

ComposeResult Compose(const std::vector<ComposeSource>&, const ComposeOptions&) {
    ComposeResult result;
    result.message = "not built yet";
    return result;
}

std::string ComposeJson(const ComposeResult&) {
    return "{}";
}

} // namespace tavo
