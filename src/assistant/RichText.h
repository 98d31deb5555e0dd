#pragma once
// Rich text (RTF) into a Qt text document, through the widget-free reader.
#include "assistant/Rtf.h"

class QTextDocument;

namespace vedomec {

void LoadRichText(QTextDocument* doc, const rtf::Document& text);
void LoadRichText(QTextDocument* doc, QByteArrayView rtf);

// The family a font of the table is looked up by: Windows names its
// per-script variants of a face "Times New Roman CE" and the like.
QString RichTextFamily(const QString& tableName);

} // namespace vedomec
