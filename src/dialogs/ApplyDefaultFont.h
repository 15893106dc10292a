#pragma once

class TQpRichText;

// Gives an editor the default font of the settings (section "Default Font": name, size,
// bold, italic, underline) as the attributes of the text typed next. Used when a new,
// empty cover sheet, document or template is started.
void ApplyDefaultFont(TQpRichText& editor);
