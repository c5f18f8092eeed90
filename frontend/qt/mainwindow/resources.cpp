#include "resources.h"

#include <QtGlobal>

static void RegisterTidelinResources() { Q_INIT_RESOURCE(tidelin); }

namespace tidelin {

void EnsureResources() {
    static const bool registered = (RegisterTidelinResources(), true);
    (void)registered;
}

}  // namespace tidelin
