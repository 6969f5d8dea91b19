#include "app/textlanguage.h"

int textLanguage = English;

void setTextLanguage(int value)
{
    textLanguage = value;
}
