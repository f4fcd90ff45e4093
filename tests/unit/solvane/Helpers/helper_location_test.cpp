#include "solvane/Helpers/helper_location.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using Ombrix::Solvane::Helpers::LocationHelper;
using Point = LocationHelper::Point;

namespace {

constexpr double kPi = std::numbers::pi;

// The rounded constants must be the values their definitions give, to the last bit.
static_assert(LocationHelper::kKrasovskyA * (1.0 - LocationHelper::kKrasovskyEE) ==
              LocationHelper::kKrasovskyAOneMinusEE);
static_assert(kPi * LocationHelper::kMercatorRadius == LocationHelper::kMercatorLimit);
static_assert(kPi * 3000.0 / 180.0 == LocationHelper::kXPi);

void expect_near(const Point& actual, const Point& expected, double tolerance, const char* what) {
    EXPECT_NEAR(actual[0], expected[0], tolerance) << what;
    EXPECT_NEAR(actual[1], expected[1], tolerance) << what;
}

}  // namespace

// Widely published reference values of the four offset conversions for the point
// (116.404, 39.915) in central Beijing.
TEST(LocationHelper, OffsetConversionsMatchReferenceValues) {
    struct Case {
        const char* what;
        Point (*convert)(double, double);
        Point expected;
    };
    const Case cases[] = {
        {"wgs84_to_gcj02", &LocationHelper::wgs84_to_gcj02, {116.41024449916938, 39.91640428150164}},
        {"gcj02_to_wgs84", &LocationHelper::gcj02_to_wgs84, {116.39775550083061, 39.91359571849836}},
        {"gcj02_to_bd09", &LocationHelper::gcj02_to_bd09, {116.41036949371029, 39.92133699351021}},
        {"bd09_to_gcj02", &LocationHelper::bd09_to_gcj02, {116.39762729119315, 39.90865673957631}},
    };
    for (const auto& c : cases) expect_near(c.convert(116.404, 39.915), c.expected, 1e-12, c.what);

    // transform is the GCJ-02 offset, latitude first.
    expect_near(LocationHelper::transform(116.404, 39.915), {39.91640428150164, 116.41024449916938}, 1e-12,
                "transform");
    // The composed conversions are exactly their two steps.
    const Point gcj = LocationHelper::wgs84_to_gcj02(116.404, 39.915);
    expect_near(LocationHelper::wgs84_to_bd09(116.404, 39.915), LocationHelper::gcj02_to_bd09(gcj[0], gcj[1]), 0.0,
                "wgs84_to_bd09");
    const Point back = LocationHelper::bd09_to_gcj02(116.41036949371029, 39.92133699351021);
    expect_near(LocationHelper::bd09_to_wgs84(116.41036949371029, 39.92133699351021),
                LocationHelper::gcj02_to_wgs84(back[0], back[1]), 0.0, "bd09_to_wgs84");

    // delta fills only the outputs asked for.
    double dlon = 0.0, dlat = 0.0;
    LocationHelper::delta(116.404, 39.915, &dlon, nullptr);
    LocationHelper::delta(116.404, 39.915, nullptr, &dlat);
    LocationHelper::delta(116.404, 39.915, nullptr, nullptr);
    EXPECT_NEAR(dlon, 116.41024449916938 - 116.404, 1e-12);
    EXPECT_NEAR(dlat, 39.91640428150164 - 39.915, 1e-12);
}

// The box includes its edges: only points strictly beyond one are outside.
TEST(LocationHelper, OutOfChinaBoxEdges) {
    struct Case {
        double lon, lat;
        bool out;
    };
    const Case cases[] = {
        {72.004, 30.0, false},   {72.0039, 30.0, true},  {137.8347, 30.0, false}, {137.8348, 30.0, true},
        {100.0, 0.8293, false},  {100.0, 0.8292, true},  {100.0, 55.8271, false}, {100.0, 55.8272, true},
        {-0.1276, 51.5072, true}, {116.404, 39.915, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LocationHelper::out_of_china(c.lon, c.lat), c.out) << c.lon << ", " << c.lat;
}

TEST(LocationHelper, PointsOutsideChinaKeepWgs84ButStillGetTheBd09Shift) {
    const Point outside[] = {{-0.1276, 51.5072}, {151.2093, -33.8688}, {139.6917, 56.0}, {60.0, 40.0}};
    for (const auto& p : outside) {
        EXPECT_EQ(LocationHelper::wgs84_to_gcj02(p[0], p[1]), p);
        EXPECT_EQ(LocationHelper::gcj02_to_wgs84(p[0], p[1]), p);
        EXPECT_EQ(LocationHelper::transform(p[0], p[1]), (Point{p[1], p[0]}));
        const Point bd = LocationHelper::wgs84_to_bd09(p[0], p[1]);
        EXPECT_EQ(bd, LocationHelper::gcj02_to_bd09(p[0], p[1]));
        EXPECT_GT(std::hypot(bd[0] - p[0], bd[1] - p[1]), 0.005);
    }
}

// The one-step GCJ-02 inverse leaves an error of a few metres (below 1e-4 degrees); BD-09 and
// Web Mercator invert to rounding.
TEST(LocationHelper, RoundTrips) {
    const Point points[] = {{116.404, 39.915}, {121.4737, 31.2304}, {87.6168, 43.8256}, {110.3312, 20.0311}};
    for (const auto& p : points) {
        const Point gcj = LocationHelper::wgs84_to_gcj02(p[0], p[1]);
        expect_near(LocationHelper::gcj02_to_wgs84(gcj[0], gcj[1]), p, 1e-4, "gcj02");
        const Point bd = LocationHelper::gcj02_to_bd09(p[0], p[1]);
        expect_near(LocationHelper::bd09_to_gcj02(bd[0], bd[1]), p, 1e-5, "bd09");
        const Point wbd = LocationHelper::wgs84_to_bd09(p[0], p[1]);
        expect_near(LocationHelper::bd09_to_wgs84(wbd[0], wbd[1]), p, 1e-4, "wgs84/bd09");
        const Point m = LocationHelper::wgs84_to_epsg3857(p[0], p[1]);
        expect_near(LocationHelper::espg3857_to_wgs84(m[0], m[1]), p, 1e-9, "epsg3857");
    }
}

TEST(LocationHelper, WebMercatorReferenceValuesWrapAndClamp) {
    struct Case {
        double lon, lat;
        Point expected;
        double tolerance;
    };
    constexpr double kLimit = 20037508.342789244;
    const Case cases[] = {
        {0.0, 0.0, {0.0, 0.0}, 1e-9},
        {180.0, 0.0, {kLimit, 0.0}, 1e-9},
        {-180.0, 0.0, {-kLimit, 0.0}, 1e-9},
        {90.0, 0.0, {10018754.171394622, 0.0}, 1e-6},
        {0.0, 85.0511287798, {0.0, kLimit}, 0.01},
        {0.0, -85.0511287798, {0.0, -kLimit}, 0.01},
        {0.0, 89.9, {0.0, kLimit}, 0.0},
        {0.0, -89.9, {0.0, -kLimit}, 0.0},
        {0.0, 90.0, {0.0, kLimit}, 0.0},
        {190.0, 0.0, {-170.0 * kLimit / 180.0, 0.0}, 1e-6},
        {-190.0, 0.0, {170.0 * kLimit / 180.0, 0.0}, 1e-6},
        // Only one turn is taken off; what is still beyond the edge is clamped.
        {600.0, 0.0, {kLimit, 0.0}, 1e-6},
    };
    for (const auto& c : cases)
        expect_near(LocationHelper::wgs84_to_epsg3857(c.lon, c.lat), c.expected, c.tolerance, "wgs84_to_epsg3857");
    // The antimeridian is exactly the edge, not a rounding unit inside it.
    EXPECT_EQ(LocationHelper::wgs84_to_epsg3857(180.0, 0.0)[0], kLimit);
    EXPECT_EQ(LocationHelper::wgs84_to_epsg3857(-180.0, 0.0)[0], -kLimit);

    expect_near(LocationHelper::espg3857_to_wgs84(kLimit, kLimit), {180.0, 85.0511287798}, 1e-9, "edge");
    expect_near(LocationHelper::espg3857_to_wgs84(-10018754.171394622, 0.0), {-90.0, 0.0}, 1e-12, "quarter");
}

TEST(LocationHelper, DistanceOnTheKrasovskySphere) {
    constexpr double a = 6378245.0;
    struct Case {
        double lon1, lat1, lon2, lat2, expected;
    };
    const Case cases[] = {
        {0.0, 0.0, 1.0, 0.0, a * kPi / 180.0},
        {0.0, 0.0, 90.0, 0.0, a * kPi / 2.0},
        {10.0, 0.0, 10.0, 90.0, a * kPi / 2.0},
        {0.0, 90.0, 0.0, -90.0, a * kPi},
        {-179.5, 0.0, 179.5, 0.0, a * kPi / 180.0},
        // At these latitudes cos²φ + sin²φ rounds to just above 1.
        {30.0, 2.5, 30.0, 2.5, 0.0},
        {-40.0, -12.0, -40.0, -12.0, 0.0},
        {116.404, 39.915, 116.404, 39.915, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(LocationHelper::distance(c.lon1, c.lat1, c.lon2, c.lat2), c.expected, 1e-6)
            << c.lon1 << ", " << c.lat1 << " -> " << c.lon2 << ", " << c.lat2;
    EXPECT_EQ(LocationHelper::fabs(-2.5), 2.5);
}
