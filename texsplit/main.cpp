// texsplit: splits the three skin textures of the working folder.
#include "TgaSplitter.h"

int main() { return TexsplitMain(); }
