# Times data.table grouping the records of pivot_bench (1,000,000 records,
# the same formulas) by five keys with the mean, sum, count, standard
# deviation and median of x: min and median of 9 runs in ms, and the load.
# Run: Rscript bench/pivot/pivot_peers.R
suppressPackageStartupMessages(library(data.table))
n <- 1000000
i <- 0:(n - 1)
levels <- function(a, k) as.integer(floor(((i * a) %% 4294967296) * k / 4294967296))
dt <- data.table(a = levels(2654435761, 5), b = levels(2246822519, 4), c = levels(3266489917, 10),
                 d = levels(668265263, 8), e = levels(374761393, 6), x = ((i * 7919) %% 1000) / 10)
run <- function() dt[, .(mean = mean(x), sum = sum(x), n = .N, sd = sd(x), median = median(x)),
                     by = .(a, b, c, d, e)]
# Wall and CPU (user + system) time: on a loaded machine the CPU time says
# more; with several threads it adds theirs up.
report <- function() {
  timed <- sapply(1:9, function(k) system.time(result <<- run())[c("elapsed", "user.self", "sys.self")] * 1000)
  cpu <- timed[2, ] + timed[3, ]
  cat(sprintf("data.table %s (%d threads): %d groups, wall min %.1f / median %.1f ms, cpu min %.1f / median %.1f ms, load %s\n",
              packageVersion("data.table"), getDTthreads(), nrow(result), min(timed[1, ]), median(timed[1, ]),
              min(cpu), median(cpu), strsplit(readLines("/proc/loadavg"), " ")[[1]][1]))
}
report()
setDTthreads(1)
report()
