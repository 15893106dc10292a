#include "richtext/RichTextTransfer.h"

std::string RichTextTransferFile() {
    return DataFolder() + "Eraseme.rtf";
}
