// The German texts of the dataset's and the parser's messages, as language
// tables to bind to their message units.
#pragma once

#include "ResStr.h"

#include <cstddef>

extern const TResLangEntry IbconstkvGerman[];
extern const std::size_t IbconstkvGermanCount;
extern const TResLangEntry DbconstkvGerman[];
extern const std::size_t DbconstkvGermanCount;

// Binds both German tables (the demonstration program runs in German).
void BindGermanMessages();
