// Program entry: either the detached clean-up of temporary files, or the application itself.

#include "Application.h"
#include "EditScript.h"
#include "ErrorDisplay.h"
#include "platform/Cleanup.h"

int main(int argc, char** argv)
{
    if (const int code = vt::app::runBatchModeIfRequested(argc, argv); code >= 0) return code;

    vt::app::VeltranaApplication application(argc, argv);
    vt::app::VeltranaApp veltrana;
    vt::app::scheduleEditScript();
    return veltrana.run();
}
