# Writes ROWS x 20 columns (12 doubles, 4 integers, 2 labelled integers, a
# date and a short text) as Stata and SPSS files with haven.
#   Rscript make_stat_bench.R ROWS OUT.dta OUT.sav
suppressPackageStartupMessages(library(haven))
args <- commandArgs(trailingOnly = TRUE)
n <- as.integer(args[1])
set.seed(2026)
d <- data.frame(id = seq_len(n))
for (j in 1:11) d[[sprintf("x%02d", j)]] <- round(rnorm(n, 100, 15), 3)
for (j in 1:4) d[[sprintf("k%d", j)]] <- sample.int(100000L, n, TRUE)
for (j in 1:2) d[[sprintf("g%d", j)]] <- labelled(sample.int(5L, n, TRUE), c(a = 1L, b = 2L, c = 3L, d = 4L, e = 5L))
d$day <- as.Date("2000-01-01") + sample.int(9000L, n, TRUE)
d$word <- sample(c("alpha", "beta", "gamma", "delta"), n, TRUE)
write_dta(d, args[2])
write_sav(d, args[3])
