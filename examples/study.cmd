# A study from scratch: the folder holds only the box of the inputs
# (study_xdescription.mat) and a program that computes the response of one
# run (the Hartmann function of six inputs, standing in for a simulator:
# build/examples/objectives/hartmann6, which reads its point from dorve.temp
# and appends its answer). One command file designs the runs, makes them,
# fits a model, checks it and minimises.
#
# Forty-eight runs spread over the box: a maximin Latin hypercube.
RandomSeed = 12
Design 48 < study_xdescription.mat > X
X > study_design_out.mat
# Run the objective on every run, two at a time. Each answer is journalled;
# if the study is stopped here, starting it again goes on from the journal.
ObjectiveFunction = ../build/examples/objectives/hartmann6
ParallelEvaluations = 2
Evaluate
y > study_responses_out.mat
# Fit the model (the gradient search of the likelihood is quick in six
# inputs) and judge it by leave-one-out cross-validation, as a picture.
MleMethod = gradient
Fit
CrossValidate > study_crossvalidation_out.svg
# How the response depends on each input, the others at the centre.
MainEffects > study_maineffects_out.svg
# Minimise: each new run is the one with the largest expected improvement,
# one at a time, at most 30 of them.
ParallelEvaluations = 1
MaxEvaluations = 30
Minimize
Quit
