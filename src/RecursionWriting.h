#ifndef TESSVANE_RECURSION_WRITING_H
#define TESSVANE_RECURSION_WRITING_H

class SoField;
class SoFieldContainer;
class SoOutput;

// Writes one field line of a node's written form at the current indentation
// (the header has opened one level for the node's contents): the field's
// name, a blank and its value, then a line feed.
// A string field is written quoted; any other field as the text its value
// reads as (an enum's name, for instance). The nodes whose fields the set-up
// connects write only these lines, never the connected fields.
void writeFieldLine(const SoFieldContainer *node, SoOutput *out, SoField &field);

#endif
