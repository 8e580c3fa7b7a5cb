#include "app/application.h"

int main(int argc, char** argv)
{
    CApplication app;
    return app.Run(argc, argv);
}
