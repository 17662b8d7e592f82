#pragma once
// The two reversible character scramblers of the toolkit (the settings file of the herd
// connection is stored with FindXOR). Each is its own inverse.

#include <QString>

namespace rimo {

// Character k (from 1) combined by exclusive-or with 2k, taken modulo 65536.
QString FindXOR(const QString& St);
// Every character combined by exclusive-or with 1.
QString FindXORSimple(const QString& St);

} // namespace rimo
