#pragma once

// Reading the maximum quantity, the quantity and the price out of a TDX order dialog.
//
// Each reader takes the field's cached control (a field of the state machine's record): while it
// holds a live window the reader reads that control directly; otherwise it locates the control
// by its configured index and caches it. The caller owns the cache; when the record may be
// cleared by another thread meanwhile, hold the state machine's lock around the call or pass a
// local copy and store it back.

#include "trade/FieldReadResult.h"
#include "trade/TradeTypes.h"

#include <QString>

namespace FieldReaders {

// The index-th control whose class contains "Static". The text, trimmed and without ",", " " and
// U+3000, must be a non-negative base-10 integer.
FieldReadResult readMaxQuantity(trade::HWND dialog, trade::HWND& cache, int index, int& value);
// The index-th "Edit" child; the text must match "^[+-]?[0-9]+$".
FieldReadResult readQuantity(trade::HWND dialog, trade::HWND& cache, int index, QString& text);
// The index-th "Edit" child; the text must be a price (digits and one inner ".").
FieldReadResult readPrice(trade::HWND dialog, trade::HWND& cache, int index, QString& text);

} // namespace FieldReaders
