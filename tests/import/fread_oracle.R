# Writes a delimited-text file of numbers, texts, dates, times and missing
# values with data.table::fwrite, reads it back with fread, and prints each
# column's sum, count of values and count of missing values as fread sees
# them (times as seconds since 2001-01-01 00:00:00 GMT; a text column's sum
# is 0). Used by the import tests (small) and the import benchmark (large).
#
#   Rscript fread_oracle.R ROWS OUT.csv OUT.stats [notexts]
suppressMessages(library(data.table))
args <- commandArgs(trailingOnly = TRUE)
n <- as.integer(args[1])
set.seed(2026)
missing <- function(x, p) { x[runif(n) < p] <- NA; x }
epoch <- as.POSIXct("2001-01-01", tz = "UTC")
d <- data.table(
  id = seq_len(n),
  x = missing(rnorm(n, 100, 15), 0.05),
  price = missing(round(runif(n, -1e6, 1e6), 2), 0.01),
  count = missing(sample.int(1000L, n, TRUE), 0.1),
  large = missing(rlnorm(n) * 1e9, 0.02),
  tiny = missing(rnorm(n) * 1e-9, 0.02),
  day = missing(as.IDate("2001-01-01") + sample.int(20000L, n, TRUE) - 5000L, 0.03),
  stamp = missing(epoch + round(runif(n, -1e9, 1e9)), 0.03),
  name = missing(sample(c("alpha", "beta", "gamma, delta", "\u00e9psilon", "say \"hi\""), n, TRUE), 0.04),
  code = missing(sprintf("c%06d", sample.int(999999L, n, TRUE)), 0.04))
if (length(args) > 3 && args[4] == "notexts")
  d[, c("name", "code") := NULL]
fwrite(d, args[2])

r <- fread(args[2], encoding = "UTF-8")
seconds <- function(x) as.numeric(difftime(as.POSIXct(x, tz = "UTC"), epoch, units = "secs"))
lines <- vapply(names(r), function(name) {
  x <- r[[name]]
  if (is.character(x)) {
    absent <- is.na(x) | x == ""
    return(sprintf("%s text 0 %d %d", name, sum(!absent), sum(absent)))
  }
  kind <- if (inherits(x, c("IDate", "Date", "POSIXct"))) "time" else "number"
  v <- if (kind == "time") seconds(x) else as.numeric(x)
  sprintf("%s %s %.17g %d %d", name, kind, sum(v, na.rm = TRUE), sum(!is.na(v)), sum(is.na(v)))
}, "")
writeLines(lines, args[3])
