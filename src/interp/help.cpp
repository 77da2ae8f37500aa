#include "interp/help.h"

#include <cstdio>

#include "base/interpreter.h"

namespace {

const char* const kHelpLines[] = {
    "List of valid commands: \n",
    "\nIN/OUTPUT:\n",
    "(X|y|RegressionModel|StochasticProcessModel|range) (<|>) ([filename]|screen)\n",
    "(R|F|YDescription|XDescription)                    (<|>)  ([filename]|screen)\n",
    "\nFUNCTIONS:\n",
    "Fit\n",
    "CrossValidate                  {< xfilename yfilename} > ([filename]|screen)\n",
    "Predict                         < {[filename]|screen} > {[filename]|screen}\n",
    "Minimize\n",
    "MinimizeStage  {number}         > {[filename]|screen}\n",
    "MainEffects                     > {[filename]|screen}\n",
    "JointEffects                    > {[filename]|screen}\n",
    "Design         {number} {< [xdescription]} > {X|[filename]|screen}\n",
    "Evaluate\n",
    "\nOPTIONS:\n",
    "GridSize \t\t\t= {number} #default is 10\n",
    "GlobalExpectedImprovement\t= {number} #default is 1\n",
    "MinimumSample\t \t\t= {number} #default is 0\n",
    "MleFrequency\t\t \t= {number} #default is 1\n",
    "MleMaxObs\t            \t= {number} #default is 200\n",
    "MlePercentage\t\t\t= {number} #absent by default\n",
    "MleMethod                       = {simplex|gradient} #default is simplex\n",
    "MaxEvaluations\t\t\t= {number} #no limit by default\n",
    "ParallelEvaluations\t\t= {number} #default is 1\n",
    "MinimizationTarget             \t= {number} #equals min(y_1 ... y_n) by default\n",
    "ObjectiveFunction \t\t= {name of executable}\n",
    "ObjectiveTimeout\t\t= {seconds} #no limit by default\n",
    "RandomError\t\t\t= {TRUE/FALSE}\n",
    "RandomSeed \t\t\t= {number} #default is 10\n",
    "SystemCommandObjectiveFunction  = {system command for function}\n",
    "StoppingCriterion \t\t= {quantile/tolerance} #default is tolerance\n",
    "StoppingAbsoluteTolerance \t= {number} #default is 0.001\n",
    "StoppingRelativeTolerance \t= {number} #default is 0.001\n",
    "Tries\t \t\t\t= {number} #default is 3\n",
    "Threads\t\t\t\t= {number} #default is the number of processors\n",
    "CriterionOptimStart             = {random|displacement|distanceneighbour}\n",
    "                                 #default is distanceneighbour\n",
    "CriterionOptimMethod            = {simplex|powell|gradient} #default is simplex\n",
    "CriterionOptimTries             = {number} #default is 2*n\n",
    "\nOTHER:\n",
    "check_allocation (as first command only)\n",
    "#{comment}\n",
    "Info\n",
    "Database\n",
    "Quit\n",
};

}  // namespace

void print_help(int count) {
  FILE* out = out_stream();
  if (count != 1) {
    fprintf(out, "Unexpected input. No tokens should follow 'info' (other than comments)\n");
    return;
  }
  for (const char* line : kHelpLines) fputs(line, out);
}
