#pragma once

// The system's speech engine behind the platform's Speech interface: QTextToSpeech's default
// engine where Qt has one (Linux), SAPI's default voice on Windows, where QtTextToSpeech is not
// part of the program's Qt.

#include "platform/api/Speech.h"

#include <memory>

// Never null; an engine without a voice says nothing.
std::unique_ptr<platform::Speech> createSystemSpeech();
