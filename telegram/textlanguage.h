// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The language of the safety-fault texts; chosen by the command line and handed down.
enum TextLanguage { English = 0, German = 1 };
