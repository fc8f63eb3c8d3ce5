# Times R's interaction(x, y, z, lex.order = TRUE) on the rows of
# recode_bench's tuple (1,000,000 rows, the same hashed formulas: a text of
# 26 letters, whole numbers 1 to 20 and 0 to 9), taking each row's category
# as integers. Prints the min and median of 9 runs in milliseconds and the
# load average.
#
#     Rscript bench/derived/tuple_r.R
n <- 1e6
i <- 0:(n - 1)
hashed <- function(a, m) as.numeric((as.numeric(i) * a) %% m)
# 2654435761 * i exceeds 2^53 for large i: compute it modulo 26 exactly.
x <- LETTERS[1 + ((i %% 26) * (2654435761 %% 26)) %% 26]
y <- 1 + hashed(31, 20)
z <- hashed(7919, 10)
runs <- sapply(1:9, function(k) system.time(g <- as.integer(interaction(x, y, z, lex.order = TRUE)))[["elapsed"]])
cat(sprintf("load average %s\n", paste(readLines("/proc/loadavg", warn = FALSE), collapse = " ")))
cat(sprintf("interaction(x, y, z)  min %.1f ms  median %.1f ms  categories %d\n", 1000 * min(runs),
            1000 * median(runs), nlevels(interaction(x, y, z, lex.order = TRUE))))
