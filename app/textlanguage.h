#pragma once

enum TextLanguage { English = 0, German = 1 };

// Chosen once by the entry point before any window exists; selects the safety-fault texts.
extern int textLanguage;

void setTextLanguage(int value);
