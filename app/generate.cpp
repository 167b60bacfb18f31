#include "app/form1.h"

#include "maze/parameters.h"
#include "maze/state.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>

void Form1::Command1_Click()
{
    state_.MazeType = static_cast<std::uint8_t>(params::MazeTypes[std::max(0, Combo1->currentIndex())].value);

    if (const auto refusal = params::check_size(state_.MazeType, state_.GridWidth, state_.GridHeight)) {
        showMessage(tr(refusal->message.c_str()));
        for (QLineEdit *box : {Text2, Text3})
            if (refusal->minimumCells > 0 && params::leading_number(box->text().toStdString()) < refusal->minimumCells)
                box->setText(QString::number(refusal->minimumCells));
        return;
    }
}

void Form1::Command4_Click()
{
}
