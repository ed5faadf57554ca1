#pragma once
/// @file
/// Marks the library's public symbols; everything else in libpellix stays hidden.
#if defined(__GNUC__) || defined(__clang__)
#define PELLIX_API __attribute__((visibility("default")))
#else
#define PELLIX_API
#endif
