# A DORVE session on the example experiment: the Branin function over
# Pressure in [-5, 10] and Temp in [0, 15], with a second response, Cost,
# that must stay at or below 8.
Info
Tries = 5
RandomSeed = 12
Database
# Load the experiment.
X < design.mat
y < responses.mat
XDescription < xdescription.mat
YDescription < ydescription.mat
Database
# Show it and write it back out.
X > screen
y > screen
YDescription > screen
range > s
X > design_out.mat
y > responses_out.mat
YDescription > ydescription_out.mat
XDescription > xdescription_out.mat
# Fit the models and predict on a 5 x 5 grid (25 rows: too many for the screen).
Fit
Predict < xpred.mat > ypred.mat
Quit
