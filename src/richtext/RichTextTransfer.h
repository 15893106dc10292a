#pragma once

#include "richtext/TQpRichText.h"

#include "common/DataFolder.h"
#include "common/EQPException.h"

#include <cstdio>
#include <string>

// Moving rich text between a memo field of a table's current record and an editor,
// through the one temporary file DataFolder() + "Eraseme.rtf". `Adapter` is the table
// adapter: bool BlobToFile(field, fileName) and void Replace(field, fileName).

// The full path of the transfer file.
std::string RichTextTransferFile();

// Fills `editor` from the memo: the editor is cleared; when the memo cannot be copied out
// (for example because it is empty) it stays empty and no file is left behind;
// otherwise the file is loaded, the editor reformatted and the file deleted.
template <class Adapter>
void LoadRichText(TQpRichText& editor, const std::string& field, Adapter& adapter) {
    editor.Clear();
    const std::string file = RichTextTransferFile();
    if (!adapter.BlobToFile(field, file)) {
        std::remove(file.c_str());
        return;
    }
    editor.LoadFromFile(QString::fromStdString(file));
    editor.Reformat();
    std::remove(file.c_str());
}

// Stores the editor's contents into the memo. The transfer file stays in the data
// folder. Raises EQPException when the file cannot be written; the adapter's own
// errors pass through.
template <class Adapter>
void SaveRichText(TQpRichText& editor, const std::string& field, Adapter& adapter) {
    const std::string file = RichTextTransferFile();
    if (!editor.SaveToFile(QString::fromStdString(file))) {
        throw EQPException(5, "Cannot write " + file);
    }
    adapter.Replace(field, file);
}
