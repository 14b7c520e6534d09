#include "shell/runtime_services.h"

#include "startup/application_record.h"
#include "startup/frame_record.h"

namespace vtrrt {

RuntimeServices& Services() {
    static RuntimeServices services;
    return services;
}

ApplicationRecord* SetCurrentApplication(ApplicationRecord* app) {
    RuntimeServices& services = Services();
    ApplicationRecord* previous = services.application;
    services.application = app;
    services.frame = app ? app->run.frame : nullptr;
    services.runState = services.frame ? services.frame->runState : nullptr;
    return previous;
}

ApplicationRecord* TopApplication() {
    ApplicationRecord* app = CurrentApplication();
    while (app && app->parent)
        app = app->parent;
    return app;
}

} // namespace vtrrt
