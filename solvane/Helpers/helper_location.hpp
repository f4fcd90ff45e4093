/// @file Coordinate conversions for showing spatial cells on maps.
#pragma once

#include <array>

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Helpers {

/// Static, pure conversions between WGS-84 longitude/latitude (degrees), the Web-Mercator plane
/// (EPSG:3857, metres) and the two offset systems of Chinese map services, GCJ-02 and BD-09, plus
/// a great-circle distance. A converted point is a pair of doubles, longitude (x) first unless a
/// function says otherwise. The GCJ-02 offset applies only inside a rectangular box around China;
/// points outside it pass the WGS-84/GCJ-02 conversions unchanged.
class OMBRIX_SOLVANE_EXPORT LocationHelper {
public:
    using Point = std::array<double, 2>;

    LocationHelper() = delete;

    /// Semi-major axis of the Krasovsky ellipsoid the GCJ-02 offset is computed on.
    static constexpr double kKrasovskyA = 6378245.0;
    /// Eccentricity squared of the Krasovsky ellipsoid.
    static constexpr double kKrasovskyEE = 0.006693421622965943;
    /// a·(1 − ee), the meridian radius factor of the latitude offset.
    static constexpr double kKrasovskyAOneMinusEE = 6335552.717000426;
    /// Radius of the Web-Mercator sphere.
    static constexpr double kMercatorRadius = 6378137.0;
    /// π · 6378137: the largest magnitude of a Web-Mercator coordinate.
    static constexpr double kMercatorLimit = 20037508.342789244;
    /// π · 3000 / 180, the angle factor of the BD-09 shift.
    static constexpr double kXPi = 52.35987755982988;

    /// Absolute value.
    static double fabs(double x);

    /// True when the point lies outside the box (longitude 72.004..137.8347, latitude
    /// 0.8293..55.8271) where the GCJ-02 offset applies.
    static bool out_of_china(double lon, double lat);

    /// Raw latitude offset polynomial at x = lon − 105, y = lat − 35 (metres on the ellipsoid).
    static double transform_latitude(double x, double y);
    /// Raw longitude offset polynomial at x = lon − 105, y = lat − 35 (metres on the ellipsoid).
    static double transform_longitude(double x, double y);

    /// GCJ-02 offsets in degrees at the point, whether or not it is inside China; either output
    /// may be null when the caller does not want it.
    static void delta(double lon, double lat, double* dlon, double* dlat);

    /// WGS-84 to GCJ-02; unchanged outside China.
    static Point wgs84_to_gcj02(double lon, double lat);
    /// GCJ-02 to WGS-84 by subtracting the offsets computed at the given point (a one-step
    /// inverse, accurate to a few metres); unchanged outside China.
    static Point gcj02_to_wgs84(double lon, double lat);
    /// The WGS-84 to GCJ-02 offset returned latitude first: (lat, lon).
    static Point transform(double lon, double lat);

    /// GCJ-02 to BD-09 (applied everywhere).
    static Point gcj02_to_bd09(double x, double y);
    /// BD-09 to GCJ-02 (applied everywhere).
    static Point bd09_to_gcj02(double x, double y);
    /// WGS-84 to GCJ-02 (only inside China), then GCJ-02 to BD-09 (always).
    static Point wgs84_to_bd09(double lon, double lat);
    /// BD-09 to GCJ-02, then the one-step GCJ-02 inverse when that point is inside China.
    static Point bd09_to_wgs84(double x, double y);

    /// WGS-84 to Web Mercator. A longitude beyond ±180 is brought back by one turn; each
    /// coordinate is clamped to ±20037508.342789244 (so the poles land on the edge).
    static Point wgs84_to_epsg3857(double lon, double lat);
    /// Web Mercator to WGS-84. (The name keeps its historical spelling.)
    static Point espg3857_to_wgs84(double x, double y);

    /// Great-circle distance in metres on a sphere of radius 6378245 (the cosine is clamped to
    /// [−1, 1] so that a point's distance to itself is 0, not NaN).
    static double distance(double lon1, double lat1, double lon2, double lat2);
};

}  // namespace Ombrix::Solvane::Helpers
