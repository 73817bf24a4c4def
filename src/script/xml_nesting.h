#pragma once
// The install script's depth guard. RapidXML descends one call per element level, so a document
// nested deeply enough overflows the stack instead of failing to parse. The guard reads the text
// with the parser's own rules (default flags: what is an element name, a quoted value, a comment,
// a DOCTYPE with its bracketed subset) so that neither can see nesting the other does not.

// Where the element nesting first passes `limit`, or null: null also where the parser itself
// would stop with an error before that point. `text` ends with a zero.
const char* FindTooDeepElement(const char* text, int limit);
