#include "app/form1.h"
#include "maze/state.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MazeState state;
    Form1 window(state);
    window.show();
    return app.exec();
}
