#include "controls/Edit97.h"

namespace vedomec {

TEdit97::TEdit97(QWidget* parent)
    : QLineEdit(parent)
{
    setAttribute(Qt::WA_Hover);
    setStyleSheet(QStringLiteral(
        "vedomec--TEdit97 { border: 1px solid rgb(160,160,160); background: white;"
        " padding: 0px 2px; }"
        "vedomec--TEdit97:hover, vedomec--TEdit97:focus"
        " { border: 1px solid rgb(64,64,64); }"
        "vedomec--TEdit97:disabled { background: rgb(236,236,236); color: rgb(128,128,128); }"));
}

} // namespace vedomec
