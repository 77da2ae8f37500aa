// The Database listing: the store's counts and every setting that differs
// from its default. The Database command shows it, and so do the commands
// that fit, predict or minimise before they start.
#ifndef DORVE_DATA_DATABASE_LISTING_H_
#define DORVE_DATA_DATABASE_LISTING_H_

struct KrigModel;
struct KrigArray;

void print_database(const KrigModel* models, const KrigArray* ka);

#endif  // DORVE_DATA_DATABASE_LISTING_H_
