#pragma once
// The filter chain's settings taken from the settings store as one snapshot.

#include "foundation/config.h"
#include "imaging/filter_chain.h"

// Reads the "Filter…" keys. With "Filter" false no other key is read and the rest keep their
// defaults, since no filter runs. A key whose text has the wrong form throws the store's
// RuntimeException. Called on the thread that writes the store.
SFilterSettings ReadFilterSettings(const Brivox::CConfig& config);
