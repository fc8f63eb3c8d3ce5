# Times R on the rows of derived_bench (1,000,000 rows, the same hashed
# formula): the decile of every row, findInterval(a, quantile(a, probs, type
# = 1)) with the nine inner deciles as cut-offs, as the decile column cuts
# at its weighted ranks. Prints the min and median of 9 runs in milliseconds
# and the load average.
#
#     Rscript bench/derived/time_r.R
N <- 1e6
i <- 0:(N - 1)
a <- 1 + ((i * 2654435761) %% 1000003) / 10000
deciles <- function() findInterval(a, quantile(a, probs = (1:9) / 10, type = 1, names = FALSE)) + 1
times <- sapply(1:9, function(r) system.time(deciles())[["elapsed"]] * 1000)
cat("load average", readLines("/proc/loadavg"), "\n")
cat(sprintf("findInterval deciles min %8.1f ms  median %8.1f ms\n", min(times), median(times)))
