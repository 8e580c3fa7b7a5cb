#include "app/application.h"
#include "console/console.h"

int main(int argc, char** argv)
{
    CApplication app;
    return app.Run(argc, argv, RunConsole);
}
