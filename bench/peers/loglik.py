"""DORVE's profile log-likelihood, recomputed in numpy.

L = -0.5 (n ln sigma2 + ln det R), with beta and sigma2 the generalised
least-squares estimates for a constant trend, and
R_ij = prod_l exp(-theta_l |x_il - x_jl|^(2 - alpha_l)) on X as given (DORVE
does not rescale the inputs). alpha_l = 0 is the Gaussian factor, so a
squared-exponential kernel exp(-0.5 (d / s_l)^2) with length-scale s_l is
theta_l = 1 / (2 s_l^2), alpha_l = 0.
The estimates and ln det R come from a Cholesky factor of R: on the
ill-conditioned R of these fits (condition numbers near 1e11) it matches the
value DORVE prints to about 1e-6, where ln det R summed from numpy's
eigenvalues is off by 1e-5.
"""
import numpy as np

SINGULAR_EIGENVALUE = 3e-14  # DORVE treats eigenvalues within this of 0 as 0


def correlation_matrix(x, alpha, theta):
    x = np.asarray(x, dtype=float)
    r = np.ones((len(x), len(x)))
    for l in range(x.shape[1]):
        dist = np.abs(x[:, l, None] - x[None, :, l])
        r *= np.exp(-theta[l] * dist ** (2.0 - alpha[l]))
    np.fill_diagonal(r, 1.0)
    return r


def gaussian_theta(length_scales):
    return 1.0 / (2.0 * np.asarray(length_scales, dtype=float) ** 2)


def profile_loglik(r, y):
    """(L, note): L is None when R is not positive definite in floating
    point, where ln det R is not defined (DORVE gives such points a penalty)."""
    y = np.asarray(y, dtype=float)
    smallest = np.linalg.eigvalsh(r).min()
    note = ""
    if smallest <= SINGULAR_EIGENVALUE:
        note = "R numerically singular (smallest eigenvalue %.1e)" % smallest
    try:
        chol = np.linalg.cholesky(r)
    except np.linalg.LinAlgError:
        return None, note or "R not positive definite"
    f = np.linalg.solve(chol, np.ones(len(y)))
    z = np.linalg.solve(chol, y)
    beta = (f @ z) / (f @ f)
    sigma2 = ((z - beta * f) ** 2).sum() / len(y)
    return -0.5 * (len(y) * np.log(sigma2) + 2.0 * np.log(np.diag(chol)).sum()), note
