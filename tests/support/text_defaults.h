// Puts the text table back to its defaults, zeros behind each text included, so that a
// test that loaded a language file leaves nothing behind.
#pragma once

void RestoreDefaultTexts();
