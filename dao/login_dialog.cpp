#include "dao/login_dialog.h"

namespace dao {

namespace {
ILoginDialogFactory* g_default_factory = nullptr;
}  // namespace

ILoginDialogFactory* DefaultLoginDialogFactory() { return g_default_factory; }

void SetDefaultLoginDialogFactory(ILoginDialogFactory* factory) { g_default_factory = factory; }

}  // namespace dao
