#pragma once

#include <QWidget>

struct MazeState;

/// Form1: the main window, holding every parameter of a maze.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(MazeState &state, QWidget *parent = nullptr);

private:
    MazeState &state_;
};
