#include "registry/registry.h"

namespace tav::registry {

// The registry statements are not built yet; each fails without a change.
bool RegOpenKey(InterpreterState&, const ArgumentArray*) { return false; }
bool RegSetValue(InterpreterState&, const ArgumentArray*) { return false; }
bool RegDeleteKey(InterpreterState&, const ArgumentArray*) { return false; }
bool RegDeleteValue(InterpreterState&, const ArgumentArray*) { return false; }
bool OpenKeyPath(InterpreterState&, const std::string&, const std::string&) { return false; }
void ReportStoreDiagnostic(InterpreterState&) {}

}  // namespace tav::registry
