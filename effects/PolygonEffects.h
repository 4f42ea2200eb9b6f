#pragma once
// The polygon reveals (rows 110-118, 144-145, 150-152 and 154-167 of the effect table):
// triangles growing from corners and edges, fans turning about corners or the centre, diamonds,
// zigzag bands, a circular sector, and rotating rectangles and stars. Each builds one region
// from polygons, combined by union or exclusive-or, and copies the new picture through it.

#include "effects/Effects.h"

#include <cstdint>
#include <type_traits>

namespace PolygonEffects {

using TPolygonEffect = std::remove_pointer_t<TEffectProc>;

TPolygonEffect RevealDiagonalFromTopLeft; // 110
TPolygonEffect RevealDiagonalFromTopRight; // 111
TPolygonEffect RevealDiagonalFromBottomLeft; // 112
TPolygonEffect RevealDiagonalFromBottomRight; // 113
TPolygonEffect DiagonalSweepAnticlockwise; // 114
TPolygonEffect DiagonalSweepClockwise; // 115
TPolygonEffect StarburstClockwise; // 116
TPolygonEffect StarburstAnticlockwise; // 117
TPolygonEffect TriangularShred; // 118
TPolygonEffect SweepClockwise; // 144
TPolygonEffect SweepAnticlockwise; // 145
TPolygonEffect RotationalRectangle; // 150
TPolygonEffect RotationalStar; // 151
TPolygonEffect SpiralRectangle; // 152
TPolygonEffect RevealVFromLeft; // 154
TPolygonEffect RevealVFromRight; // 155
TPolygonEffect RevealVFromTop; // 156
TPolygonEffect RevealVFromBottom; // 157
TPolygonEffect BowTieHorizontal; // 158
TPolygonEffect BowTieVertical; // 159
TPolygonEffect DiagonalCrossIn; // 160
TPolygonEffect DiagonalCrossOut; // 161
TPolygonEffect ZigzagHorizontal; // 162
TPolygonEffect ZigzagVertical; // 163
TPolygonEffect DiamondShred; // 164
TPolygonEffect RevealDiamondOutFromCentre; // 165
TPolygonEffect RevealDiamondInToCentre; // 166
TPolygonEffect DiagonalBoxOut; // 167

// The turn of the rotating shapes at percent p: p x pi / 50 (two full turns over a
// transition), clockwise on screen for an even seed and anticlockwise for an odd one.
long double RotationAngle(int p, std::uint32_t seed);

} // namespace PolygonEffects
