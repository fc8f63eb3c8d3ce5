# R's time for the work of sterna_bench: Rscript time_peers.R
set.seed(1)
per_call <- function(label, expr, reps) {
  t <- system.time(for (i in seq_len(reps)) eval(expr))[["elapsed"]]
  cat(sprintf("%-40s %10.3f us per call\n", label, 1e6 * t / reps))
}
per_call("pt(0.5, 30) two-sided", quote(2 * pt(-0.5, 30)), 2e5)
per_call("pf(2.5, 3, 200, lower = FALSE)", quote(pf(2.5, 3, 200, lower.tail = FALSE)), 2e5)
per_call("qf(0.05, 3, 200, lower = FALSE)", quote(qf(0.05, 3, 200, lower.tail = FALSE)), 2e5)
per_call("qnorm(0.025)", quote(qnorm(0.025)), 2e5)
x50 <- sort(rnorm(50)); x5000 <- sort(rnorm(5000))
per_call("shapiro.test, n = 50", quote(shapiro.test(x50)), 2e3)
per_call("shapiro.test, n = 5000", quote(shapiro.test(x5000)), 2e2)
x <- sort(rnorm(1e6))
per_call("ks.test(x, 'pnorm'), n = 1e6 (statistic + p)", quote(ks.test(x, "pnorm")), 5)
per_call("psmirnov-free D: max(abs(ecdf - pnorm)), n = 1e6", quote({p <- pnorm(x); n <- length(x); max(p - (0:(n - 1)) / n, (1:n) / n - p)}), 5)
