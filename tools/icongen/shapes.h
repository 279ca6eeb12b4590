// Geometry shared by the pictures. Only arithmetic and sqrt are used, both exact under
// IEEE rules, so a picture comes out the same bit for bit at any optimisation level.
#pragma once

#include <cstdint>

// Signed distance to a rectangle with rounded corners: negative inside.
double RoundRectDistance(double x, double y, double left, double top, double right,
                         double bottom, double radius);
bool InRoundRect(double x, double y, double left, double top, double right, double bottom,
                 double radius);
bool InRect(double x, double y, double left, double top, double right, double bottom);
double Distance(double x0, double y0, double x1, double y1);
// Distance from (x, y) to the segment from (x0, y0) to (x1, y1).
double SegmentDistance(double x, double y, double x0, double y0, double x1, double y1);

// 1 at the centre, falling smoothly to 0 at distance reach; a polynomial stand-in for a
// Gaussian glow.
double Falloff(double distance, double reach);
// 0 below edge0, 1 above edge1, smooth in between.
double SmoothStep(double edge0, double edge1, double v);

// A fixed pseudo-random value in [-1, 1] for an integer lattice point: the grain of the
// brushed metal.
double LatticeNoise(int32_t i, uint32_t seed);
// LatticeNoise interpolated along a line.
double LineNoise(double t, uint32_t seed);
