# Times R's glm and lm on the benchmark's data: reading the raw doubles into
# a matrix (the load) apart from the fit. Writes r_<model>.csv (coefficients
# and standard errors) beside the data. glm stops at its default tolerance
# (1e-8 on the deviance), some 1e-8 short of the maximum; the estimates
# written come from continuing the fit (untimed) until the deviance stops
# changing, and how far the timed fit was from them is printed.
#   Rscript models_bench.R DIR
args <- commandArgs(trailingOnly = TRUE)
dir <- args[1]
n <- 1000000
columns <- 50
elapsed <- function(expr) { t <- proc.time(); force(expr); (proc.time() - t)[["elapsed"]] }

load_time <- elapsed(X <- matrix(readBin(file.path(dir, "x.bin"), "double", n * columns), n, columns))
cat(sprintf("R: regressors read in %.2f s\n", load_time))
models <- list(
  logit = function(y) glm(y ~ X[, 1:20], family = binomial),
  probit = function(y) glm(y ~ X[, 1:20], family = binomial(link = "probit")),
  poisson = function(y) glm(y ~ X[, 1:20], family = poisson),
  linear = function(y) lm(y ~ X))
refine <- function(fit) {
  if (!inherits(fit, "glm")) return(fit)
  suppressWarnings(update(fit, start = coef(fit), control = glm.control(epsilon = 1e-300, maxit = 50)))
}
for (name in names(models)) {
  y_time <- elapsed(y <- readBin(file.path(dir, paste0("y_", name, ".bin")), "double", n))
  fit_time <- elapsed(fit <- models[[name]](y))
  timed <- summary(fit)$coefficients
  s <- summary(refine(fit))$coefficients
  write.csv(data.frame(name = paste0("b", seq_len(nrow(s)) - 1),
                       coefficient = sprintf("%.17g", s[, 1]),
                       standard_error = sprintf("%.17g", s[, 2])),
            file.path(dir, paste0("r_", name, ".csv")), row.names = FALSE, quote = FALSE)
  cat(sprintf("R %-8s load %.2f s  fit %.2f s  total %.2f s  (timed fit off by %.1e in b, %.1e in se)\n",
              name, load_time + y_time, fit_time, load_time + y_time + fit_time,
              max(abs(timed[, 1] / s[, 1] - 1)), max(abs(timed[, 2] / s[, 2] - 1))))
}
