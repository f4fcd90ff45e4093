#include "solvane/Helpers/helper_location.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Ombrix::Solvane::Helpers {

namespace {

constexpr double kPi = std::numbers::pi;

}  // namespace

double LocationHelper::fabs(double x) { return std::fabs(x); }

bool LocationHelper::out_of_china(double lon, double lat) {
    return lon < 72.004 || lon > 137.8347 || lat < 0.8293 || lat > 55.8271;
}

double LocationHelper::transform_latitude(double x, double y) {
    double ret = -100.0 + 2.0 * x + 3.0 * y + 0.2 * y * y + 0.1 * x * y + 0.2 * std::sqrt(std::fabs(x));
    ret += (20.0 * std::sin(6.0 * x * kPi) + 20.0 * std::sin(2.0 * x * kPi)) * 2.0 / 3.0;
    ret += (20.0 * std::sin(y * kPi) + 40.0 * std::sin(y / 3.0 * kPi)) * 2.0 / 3.0;
    ret += (160.0 * std::sin(y / 12.0 * kPi) + 320.0 * std::sin(y * kPi / 30.0)) * 2.0 / 3.0;
    return ret;
}

double LocationHelper::transform_longitude(double x, double y) {
    double ret = 300.0 + x + 2.0 * y + 0.1 * x * x + 0.1 * x * y + 0.1 * std::sqrt(std::fabs(x));
    ret += (20.0 * std::sin(6.0 * x * kPi) + 20.0 * std::sin(2.0 * x * kPi)) * 2.0 / 3.0;
    ret += (20.0 * std::sin(x * kPi) + 40.0 * std::sin(x / 3.0 * kPi)) * 2.0 / 3.0;
    ret += (150.0 * std::sin(x / 12.0 * kPi) + 300.0 * std::sin(x / 30.0 * kPi)) * 2.0 / 3.0;
    return ret;
}

void LocationHelper::delta(double lon, double lat, double* dlon, double* dlat) {
    const double rad_lat = lat / 180.0 * kPi;
    const double sin_lat = std::sin(rad_lat);
    const double magic = 1.0 - kKrasovskyEE * sin_lat * sin_lat;
    const double sqrt_magic = std::sqrt(magic);
    if (dlat != nullptr) {
        const double raw = transform_latitude(lon - 105.0, lat - 35.0);
        *dlat = raw * 180.0 / (kKrasovskyAOneMinusEE / (magic * sqrt_magic) * kPi);
    }
    if (dlon != nullptr) {
        const double raw = transform_longitude(lon - 105.0, lat - 35.0);
        *dlon = raw * 180.0 / (kKrasovskyA / sqrt_magic * std::cos(rad_lat) * kPi);
    }
}

LocationHelper::Point LocationHelper::wgs84_to_gcj02(double lon, double lat) {
    if (out_of_china(lon, lat)) return {lon, lat};
    double dlon = 0.0, dlat = 0.0;
    delta(lon, lat, &dlon, &dlat);
    return {lon + dlon, lat + dlat};
}

LocationHelper::Point LocationHelper::gcj02_to_wgs84(double lon, double lat) {
    if (out_of_china(lon, lat)) return {lon, lat};
    double dlon = 0.0, dlat = 0.0;
    delta(lon, lat, &dlon, &dlat);
    return {lon - dlon, lat - dlat};
}

LocationHelper::Point LocationHelper::transform(double lon, double lat) {
    const Point gcj = wgs84_to_gcj02(lon, lat);
    return {gcj[1], gcj[0]};
}

LocationHelper::Point LocationHelper::gcj02_to_bd09(double x, double y) {
    const double z = std::sqrt(x * x + y * y) + 0.00002 * std::sin(y * kXPi);
    const double theta = std::atan2(y, x) + 0.000003 * std::cos(x * kXPi);
    return {z * std::cos(theta) + 0.0065, z * std::sin(theta) + 0.006};
}

LocationHelper::Point LocationHelper::bd09_to_gcj02(double x, double y) {
    const double xs = x - 0.0065;
    const double ys = y - 0.006;
    const double z = std::sqrt(xs * xs + ys * ys) - 0.00002 * std::sin(ys * kXPi);
    const double theta = std::atan2(ys, xs) - 0.000003 * std::cos(xs * kXPi);
    return {z * std::cos(theta), z * std::sin(theta)};
}

LocationHelper::Point LocationHelper::wgs84_to_bd09(double lon, double lat) {
    const Point gcj = wgs84_to_gcj02(lon, lat);
    return gcj02_to_bd09(gcj[0], gcj[1]);
}

LocationHelper::Point LocationHelper::bd09_to_wgs84(double x, double y) {
    const Point gcj = bd09_to_gcj02(x, y);
    return gcj02_to_wgs84(gcj[0], gcj[1]);
}

LocationHelper::Point LocationHelper::wgs84_to_epsg3857(double lon, double lat) {
    // One turn back only: longitudes come from map widgets that wrap at most once.
    if (lon > 180.0)
        lon -= 360.0;
    else if (lon < -180.0)
        lon += 360.0;
    // Degrees are scaled to a fraction of the half turn first so that ±180 lands exactly on the
    // edge value instead of one unit of rounding inside it.
    const double x = lon / 180.0 * kPi * kMercatorRadius;
    const double y = kMercatorRadius * std::log(std::tan(kPi / 4.0 + lat * kPi / 360.0));
    return {std::clamp(x, -kMercatorLimit, kMercatorLimit), std::clamp(y, -kMercatorLimit, kMercatorLimit)};
}

LocationHelper::Point LocationHelper::espg3857_to_wgs84(double x, double y) {
    const double lon = x * 180.0 / (kPi * kMercatorRadius);
    const double lat = (kPi / 2.0 - 2.0 * std::atan(std::exp(-y / kMercatorRadius))) * 180.0 / kPi;
    return {lon, lat};
}

double LocationHelper::distance(double lon1, double lat1, double lon2, double lat2) {
    const double phi1 = lat1 * kPi / 180.0;
    const double phi2 = lat2 * kPi / 180.0;
    const double lambda1 = lon1 * kPi / 180.0;
    const double lambda2 = lon2 * kPi / 180.0;
    const double cosine =
        std::cos(phi1) * std::cos(phi2) * std::cos(lambda1 - lambda2) + std::sin(phi1) * std::sin(phi2);
    return kKrasovskyA * std::acos(std::clamp(cosine, -1.0, 1.0));
}

}  // namespace Ombrix::Solvane::Helpers
