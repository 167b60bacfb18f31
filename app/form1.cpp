#include "app/form1.h"

#include "maze/state.h"

Form1::Form1(MazeState &state, QWidget *parent) : QWidget(parent), state_(state)
{
    setObjectName(QStringLiteral("Form1"));
}
