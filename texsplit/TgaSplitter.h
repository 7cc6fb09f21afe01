// The texture converter: splits each skin texture "<name>.tex.big.tga" into a
// colour image "<name>.tga" (blue, green, red) and an opacity image
// "<name>_op.tga" (alpha, or 255 without one, in all three channels).
//
// Rules:
//  - Only uncompressed true-colour images (type 2) are split, of 24 bits or of
//    32 bits and more (the first four bytes of each pixel are blue, green,
//    red, alpha). Every other type or depth is refused before any output is
//    made, and the run ends with exit code -1.
//  - Both outputs carry the source header with the depth set to 24 and the
//    source's image ID field; pixel rows follow the ID field directly (a
//    colour map is never skipped) and are written in file order.
//  - One row is held in memory; every output byte is its own one-byte write
//    through the file core's buffered streams. A short source still yields
//    full-size outputs, with zeros where the source ran out.
//  - An output that cannot be created, or whose bytes do not all reach the
//    disk, is reported with an error line instead of "[OK]".
//  - A failed texture ends the whole run at once with exit code -1: textures
//    before it stay converted, those after it are not attempted.
#pragma once

void ConvertTexture(const char* baseName);
int TexsplitMain();
