# A DORVE session on the example experiment: the Branin function over
# Pressure in [-5, 10] and Temp in [0, 15], to be minimised, and the energy
# Cost of a run, exp(0.3 Pressure) + exp(0.2 Temp), which must stay at or
# below 3.5. The budget rules out the three minima of Branin (their Cost is
# 4.1 and more), so the best affordable run lies on the edge Cost = 3.5.
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
# Judge the models by leave-one-out cross-validation, and look at how the
# responses depend on each x variable and on the pair.
CrossValidate > crossvalidation_out.mat
MainEffects > maineffects_out.mat
JointEffects > jointeffects_out.mat
# Propose a stage of five new runs from the fitted models.
MinimizeStage 5 > stage.mat
# Minimise Branin subject to Cost <= 3.5, running the example objective program
# (built with the project) on every proposed point through dorve.temp. The
# models are refitted every fifth new point (new points near the optimum add
# little about theta and crowd the correlation matrix), and the search stops
# once the criterion (the expected improvement) is below 0.5% of the best value
# three times in a row.
ObjectiveFunction = ../build/examples/objectives/branin_constrained
MleFrequency = 5
StoppingRelativeTolerance = 0.005
Minimize
Quit
