#include "app/velmoriaapp.h"

int main(int argc, char *argv[])
{
    VelmoriaApp app(argc, argv);
    if (!app.openWindow())
        return 1;
    return app.exec();
}
