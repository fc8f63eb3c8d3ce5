# Times R on the benchmark's data: glm and lm on a million rows, coxph
# (Breslow's ties) and nnet's multinom (5 choices) on a hundred thousand;
# reading the raw doubles into a matrix (the load) apart from the fit.
# Writes r_<model>.csv (coefficients and standard errors, laid out as the
# library reports them: the Cox model's constant and the base choice's
# coefficients 0) beside the data. glm and multinom stop at their default
# tolerances, short of the maximum; the estimates written come from
# continuing the fit (untimed) until it stops changing, and how far the
# timed fit was from them is printed.
#   Rscript models_bench.R DIR
suppressMessages({
  library(survival)
  library(nnet)
})
args <- commandArgs(trailingOnly = TRUE)
dir <- args[1]
elapsed <- function(expr) { t <- proc.time(); force(expr); (proc.time() - t)[["elapsed"]] }
read_doubles <- function(name, count) readBin(file.path(dir, name), "double", count)

n <- 1000000
small <- 100000
x_time <- elapsed(X <- matrix(read_doubles("x.bin", n * 50), n, 50))
small_time <- elapsed(Xs <- matrix(read_doubles("x_small.bin", small * 10), small, 10))
cat(sprintf("R: regressors read in %.2f s (%.2f s the small file)\n", x_time, small_time))

# Each model: its regressors' read time, its outcome files, the fit, the fit
# continued to the maximum and the estimates in the library's layout.
glm_model <- function(family) list(
  read = x_time, rows = n,
  fit = function() glm(y ~ X[, 1:20], family = family),
  refine = function(fit) suppressWarnings(update(fit, start = coef(fit),
                                                 control = glm.control(epsilon = 1e-300, maxit = 50))),
  estimates = function(fit) summary(fit)$coefficients[, 1:2])
models <- list(
  logit = glm_model(binomial),
  probit = glm_model(binomial(link = "probit")),
  poisson = glm_model(poisson),
  linear = list(read = x_time, rows = n, fit = function() lm(y ~ X), refine = identity,
                estimates = function(fit) summary(fit)$coefficients[, 1:2]),
  cox = list(read = small_time, rows = small, extra = "y_cox_censored.bin",
             fit = function() coxph(Surv(y, 1 - extra) ~ Xs, ties = "breslow"),
             refine = function(fit) {
               tight <- coxph.control(eps = 1e-12, toler.chol = 1e-15, iter.max = 100)
               update(fit, init = coef(fit), control = tight)
             },
             estimates = function(fit) rbind(c(0, 0), cbind(coef(fit), sqrt(diag(vcov(fit)))))),
  mlogit = list(read = small_time, rows = small,
                fit = function() multinom(factor(y) ~ Xs, Hess = TRUE, trace = FALSE),
                refine = function(fit) update(fit, Wts = fit$wts, maxit = 10000, reltol = 1e-15,
                                              abstol = 1e-300),
                estimates = function(fit) {
                  se <- summary(fit)$standard.errors
                  cbind(as.vector(t(rbind(0, coef(fit)))), as.vector(t(rbind(0, se))))
                }))
for (name in names(models)) {
  m <- models[[name]]
  y_time <- elapsed({
    y <- read_doubles(paste0("y_", name, ".bin"), m$rows)
    if (!is.null(m$extra)) extra <- read_doubles(m$extra, m$rows)
  })
  fit_time <- elapsed(fit <- m$fit())
  timed <- m$estimates(fit)
  s <- m$estimates(m$refine(fit))
  write.csv(data.frame(name = paste0("b", seq_len(nrow(s)) - 1),
                       coefficient = sprintf("%.17g", s[, 1]),
                       standard_error = sprintf("%.17g", s[, 2])),
            file.path(dir, paste0("r_", name, ".csv")), row.names = FALSE, quote = FALSE)
  off <- function(a, b) max(abs(a[b != 0] / b[b != 0] - 1))
  cat(sprintf("R %-8s load %.2f s  fit %.2f s  total %.2f s  (timed fit off by %.1e in b, %.1e in se)\n",
              name, m$read + y_time, fit_time, m$read + y_time + fit_time,
              off(timed[, 1], s[, 1]), off(timed[, 2], s[, 2])))
}
