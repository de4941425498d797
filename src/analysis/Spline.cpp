#include "analysis/Spline.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace velmar::analysis {

namespace {

// Solves the tridiagonal system sub(i)·m(i−1) + diag(i)·m(i) + super(i)·m(i+1) = rhs(i) by elimination and
// back substitution. The spline systems are strictly diagonally dominant, so no pivoting is needed.
void SolveTridiagonal(const std::vector<double>& sub, std::vector<double> diag,
                      const std::vector<double>& super, std::vector<double> rhs, std::vector<double>& out) {
    const std::size_t k = diag.size();
    for (std::size_t i = 1; i < k; ++i) {
        const double factor = sub[i] / diag[i - 1];
        diag[i] -= factor * super[i - 1];
        rhs[i] -= factor * rhs[i - 1];
    }
    out.assign(k, 0.0);
    out[k - 1] = rhs[k - 1] / diag[k - 1];
    for (std::size_t i = k - 1; i-- > 0;) {
        out[i] = (rhs[i] - super[i] * out[i + 1]) / diag[i];
    }
}

}  // namespace

bool SplineFit(SplineEnd mode, std::span<const double> x, std::span<const double> y, double a, double b,
               std::span<double> slopes) {
    const std::size_t n = x.size();
    if (n == 0 || y.size() != n || slopes.size() < n) {
        return false;
    }
    if (mode != SplineEnd::kSlopes && mode != SplineEnd::kSecondDerivatives && mode != SplineEnd::kPeriodic) {
        return false;
    }
    // Equal or falling abscissas would divide by a zero or negative spacing.
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(x[i]) || (i > 0 && !(x[i] > x[i - 1]))) {
            return false;
        }
    }
    if (n == 1) {
        slopes[0] = mode == SplineEnd::kSlopes ? a : 0.0;
        return true;
    }

    std::vector<double> h(n - 1), delta(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        h[i] = x[i + 1] - x[i];
        delta[i] = (y[i + 1] - y[i]) / h[i];
    }

    // Interior row i (continuity of the second derivative at knot i) with the intervals hp before and hn
    // after the knot: λ·m(i−1) + 2·m(i) + μ·m(i+1) = 3·(λ·δp + μ·δn), λ = hn/(hp + hn), μ = 1 − λ.
    auto interiorRow = [](double hp, double hn, double deltaP, double deltaN, double& lambda, double& mu,
                          double& rhs) {
        lambda = hn / (hp + hn);
        mu = 1.0 - lambda;
        rhs = 3.0 * (lambda * deltaP + mu * deltaN);
    };

    if (mode != SplineEnd::kPeriodic) {
        std::vector<double> sub(n, 0.0), diag(n, 2.0), super(n, 0.0), rhs(n, 0.0);
        for (std::size_t i = 1; i + 1 < n; ++i) {
            interiorRow(h[i - 1], h[i], delta[i - 1], delta[i], sub[i], super[i], rhs[i]);
        }
        if (mode == SplineEnd::kSlopes) {
            rhs[0] = 2.0 * a;
            rhs[n - 1] = 2.0 * b;
        } else {
            // S''(x1) = a and S''(xn) = b for the Hermite pieces at the two ends.
            super[0] = 1.0;
            rhs[0] = 3.0 * delta[0] - h[0] * a / 2.0;
            sub[n - 1] = 1.0;
            rhs[n - 1] = 3.0 * delta[n - 2] + h[n - 2] * b / 2.0;
        }
        std::vector<double> m;
        SolveTridiagonal(sub, diag, super, rhs, m);
        std::copy(m.begin(), m.end(), slopes.begin());
        return true;
    }

    // Periodic: unknowns m(1) … m(n−1), m(n) = m(1); the row of the first knot joins the last interval to
    // the first, which puts corner terms into the matrix.
    const std::size_t k = n - 1;
    std::vector<double> lambda(k), mu(k), rhs(k);
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t prev = i == 0 ? k - 1 : i - 1;
        interiorRow(h[prev], h[i], delta[prev], delta[i], lambda[i], mu[i], rhs[i]);
    }
    std::vector<double> m(k);
    if (k == 1) {
        m[0] = rhs[0] / (lambda[0] + 2.0 + mu[0]);
    } else if (k == 2) {
        // Both neighbours of each knot are the other knot.
        const double a00 = 2.0, a01 = lambda[0] + mu[0], a10 = lambda[1] + mu[1], a11 = 2.0;
        const double det = a00 * a11 - a01 * a10;
        m[0] = (rhs[0] * a11 - a01 * rhs[1]) / det;
        m[1] = (a00 * rhs[1] - a10 * rhs[0]) / det;
    } else {
        // Sherman–Morrison: the cyclic matrix is a tridiagonal one plus a rank-one correction for the
        // corners lambda(0) (row 0, column k−1) and mu(k−1) (row k−1, column 0).
        const double corner0 = lambda[0], cornerK = mu[k - 1];
        const double gamma = -2.0;
        std::vector<double> sub(lambda), diag(k, 2.0), super(mu);
        sub[0] = 0.0;
        super[k - 1] = 0.0;
        diag[0] -= gamma;
        diag[k - 1] -= cornerK * corner0 / gamma;
        std::vector<double> u(k, 0.0);
        u[0] = gamma;
        u[k - 1] = cornerK;
        std::vector<double> solved, z;
        SolveTridiagonal(sub, diag, super, rhs, solved);
        SolveTridiagonal(sub, diag, super, u, z);
        const double factor =
            (solved[0] + corner0 * solved[k - 1] / gamma) / (1.0 + z[0] + corner0 * z[k - 1] / gamma);
        for (std::size_t i = 0; i < k; ++i) {
            m[i] = solved[i] - factor * z[i];
        }
    }
    std::copy(m.begin(), m.end(), slopes.begin());
    slopes[n - 1] = m[0];
    return true;
}

double SplineValue(std::span<const double> x, std::span<const double> y, std::span<const double> slopes,
                   double at) {
    const std::size_t n = std::min({x.size(), y.size(), slopes.size()});
    if (n == 0) {
        return 0.0;
    }
    if (n == 1) {
        return y[0] + slopes[0] * (at - x[0]);
    }
    // The piece is the first whose right knot lies beyond `at`, held to the first and the last piece.
    std::size_t k = static_cast<std::size_t>(std::upper_bound(x.begin(), x.begin() + n, at) - x.begin());
    k = std::clamp<std::size_t>(k, 1, n - 1);
    const double h = x[k] - x[k - 1];
    const double t = at - x[k - 1];
    const double s = (y[k] - y[k - 1]) / h;
    const double m0 = slopes[k - 1], m1 = slopes[k];
    return y[k - 1] + m0 * t + ((3.0 * s - 2.0 * m0 - m1) / h) * t * t +
           ((m0 + m1 - 2.0 * s) / (h * h)) * t * t * t;
}

}  // namespace velmar::analysis
