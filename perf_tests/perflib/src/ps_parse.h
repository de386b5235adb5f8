// Reading a text: numbers and truth values out of a psString, splitting into words, and the
// case-insensitive name matching of keys, enumerations and flag sets.
#ifndef PS_PARSE_H
#define PS_PARSE_H

#include "ps_string.h"

// Reading values: each clears the text's conversion-error flag and sets it when nothing could be
// read. Integers starting with "0x"/"0X" are hexadecimal; trailing characters are ignored.
int& operator<<(int& value, const psString& text);
unsigned int& operator<<(unsigned int& value, const psString& text);
long& operator<<(long& value, const psString& text);
unsigned long& operator<<(unsigned long& value, const psString& text);
long long& operator<<(long long& value, const psString& text);
unsigned long long& operator<<(unsigned long long& value, const psString& text);
void*& operator<<(void*& value, const psString& text);
double& operator<<(double& value, const psString& text);
float& operator<<(float& value, const psString& text);
bool& operator<<(bool& value, const psString& text);

// The list of words fills the list; see psString::parse.
int psParse(const psString& text, psStringList& words, const psString& separators);

// Case-insensitive abbreviation: input is a prefix of name, or of name without its first skip
// characters. The empty input fits every name.
bool fitString(const psString& input, const psString& name, int skip = 0);

// The value of the first of count names that text fits; 0 and text's error flag when none fits.
int enumValue(const psString& text, const int* values, const char* const* names, int count, int skip = 0);
// The name of the first entry holding value; else the value as "%d".
psString enumString(int value, const int* values, const char* const* names, int count);
// The OR of the flags of the words of text (split at "|,; "); a word fitting no name sets text's
// error flag and adds nothing.
int flagValue(const psString& text, const int* flags, const char* const* names, int count, int skip = 0);
// The names of all flags sharing a bit with value, joined by "|"; else the value as "%d".
psString flagString(int value, const int* flags, const char* const* names, int count);

#endif
