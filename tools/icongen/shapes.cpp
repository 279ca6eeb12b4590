#include "tools/icongen/shapes.h"

#include <algorithm>
#include <cmath>

double RoundRectDistance(double x, double y, double left, double top, double right,
                         double bottom, double radius)
{
    double cx = (left + right) * 0.5;
    double cy = (top + bottom) * 0.5;
    double hx = (right - left) * 0.5 - radius;
    double hy = (bottom - top) * 0.5 - radius;
    double qx = std::fabs(x - cx) - hx;
    double qy = std::fabs(y - cy) - hy;
    double ox = std::max(qx, 0.0);
    double oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
}

bool InRoundRect(double x, double y, double left, double top, double right, double bottom,
                 double radius)
{
    return RoundRectDistance(x, y, left, top, right, bottom, radius) < 0.0;
}

bool InRect(double x, double y, double left, double top, double right, double bottom)
{
    return x >= left && x < right && y >= top && y < bottom;
}

double Distance(double x0, double y0, double x1, double y1)
{
    double dx = x1 - x0;
    double dy = y1 - y0;
    return std::sqrt(dx * dx + dy * dy);
}

double SegmentDistance(double x, double y, double x0, double y0, double x1, double y1)
{
    double dx = x1 - x0;
    double dy = y1 - y0;
    double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0.0 ? ((x - x0) * dx + (y - y0) * dy) / lengthSquared : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return Distance(x, y, x0 + dx * t, y0 + dy * t);
}

double Falloff(double distance, double reach)
{
    if (distance >= reach) {
        return 0.0;
    }
    double t = 1.0 - (distance * distance) / (reach * reach);
    return t * t;
}

double SmoothStep(double edge0, double edge1, double v)
{
    double t = std::clamp((v - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double LatticeNoise(int32_t i, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(i) * 0x9E3779B1u ^ seed * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return (h & 0xFFFF) / 32767.5 - 1.0;
}

double LineNoise(double t, uint32_t seed)
{
    double cell = std::floor(t);
    double f = t - cell;
    int32_t i = static_cast<int32_t>(cell);
    double s = f * f * (3.0 - 2.0 * f);
    return LatticeNoise(i, seed) * (1.0 - s) + LatticeNoise(i + 1, seed) * s;
}
